// Run-time type information of the classes that cross to the host, laid out
// as Microsoft's C++ compiler emits it on x64, for modules that GCC builds
// (ais_msvc_abi.h). An MSVC host's typeid and dynamic_cast find it through
// the word before an object's table; offsets are image-relative.
//
//   type descriptor      { type_info table (unused), name cache, ".?AVName@@" }
//   locator              { signature 1, offset 0, 0, type, hierarchy, itself }
//   hierarchy            { signature 0, attributes 0, class count, class array }
//   base class           { type, bases it contains, { 0, -1, 0 }, 0x40, hierarchy }
//   class array          { the class's own base class entry, then its bases' }

// The C preprocessor writes each class's set (gas macros cannot put an
// argument inside the name string); ";" separates statements.
#define BASE(base) , vf_bcd_##base
#define BOUNDARY_CLASS(cls, count, bases)                                               \
  /* The name cache is written by the host's type_info::name(): writable data. */       \
  .data; .p2align 4; .globl vf_td_##cls;                                                 \
  vf_td_##cls: .quad 0, 0; .ascii ".?AV", #cls; .asciz "@@";                             \
  .section .rdata, "dr"; .p2align 2; .globl vf_col_##cls; .globl vf_bcd_##cls;           \
  vf_col_##cls: .long 1, 0, 0; .rva vf_td_##cls, vf_chd_##cls, vf_col_##cls;             \
  vf_chd_##cls: .long 0, 0, count; .rva vf_bca_##cls;                                    \
  vf_bcd_##cls: .rva vf_td_##cls; .long count - 1, 0, -1, 0, 0x40; .rva vf_chd_##cls;    \
  vf_bca_##cls: .rva vf_bcd_##cls bases; .long 0

BOUNDARY_CLASS(CRawData, 1, )
BOUNDARY_CLASS(CRawDataAis, 2, BASE(CRawData))
BOUNDARY_CLASS(CCfgDevice, 1, )
BOUNDARY_CLASS(CGlobalData, 1, )
