# Source lists, one place for both platforms' builds.
set(AIS_CORE_SOURCES
  config/decimal_text.cpp
  config/option_text.cpp
  diag/text_format.cpp
  diag/trace_file.cpp
  plugin/plugin_app.cpp
  plugin/time_stamping.cpp
)

set(AIS_PLATFORM_SOURCES
  platform/posix/clock.cpp
  platform/posix/critical_section.cpp
  platform/posix/event.cpp
  platform/posix/files.cpp
  platform/posix/named_mutex.cpp
  platform/posix/text_codec.cpp
  platform/posix/thread.cpp
  platform/posix/window.cpp
)

set(AIS_SYSTEM_SOURCES
  platform/posix/system/named_mutex.cpp
  platform/posix/system/window_registry.cpp
)
