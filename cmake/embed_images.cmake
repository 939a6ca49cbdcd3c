# Writes a C++ source that holds the button images' bytes:
#   cmake -DOK=ok.png -DCANCEL=cancel.png -DOUTPUT=button_images.cpp -P embed_images.cmake
function(bytes_of file variable)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  set(${variable} "${hex}" PARENT_SCOPE)
endfunction()
bytes_of("${OK}" ok_bytes)
bytes_of("${CANCEL}" cancel_bytes)
file(WRITE "${OUTPUT}.tmp" "// Generated from ui/resources/ok.png and cancel.png.\n#include \"ui/button_images.h\"\n\n"
     "namespace vf::ui {\nnamespace {\n"
     "const unsigned char kOk[] = {${ok_bytes}};\n"
     "const unsigned char kCancel[] = {${cancel_bytes}};\n"
     "}  // namespace\n\n"
     "EmbeddedImage OkButtonImage() { return {kOk, sizeof kOk}; }\n"
     "EmbeddedImage CancelButtonImage() { return {kCancel, sizeof kCancel}; }\n\n"
     "}  // namespace vf::ui\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
