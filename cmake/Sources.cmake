# Source lists, one place for both platforms' builds.
set(AIS_CORE_SOURCES
  ais/base_station_report.cpp
  ais/class_b_position.cpp
  ais/class_b_static.cpp
  ais/payload_bits.cpp
  ais/payload_dispatch.cpp
  ais/position_report.cpp
  ais/static_voyage_data.cpp
  ais/target_record.cpp
  config/decimal_text.cpp
  config/option_text.cpp
  diag/monitor_feed.cpp
  diag/text_format.cpp
  diag/trace_file.cpp
  links/error_text.cpp
  nmea/fragment_store.cpp
  nmea/sentence_checks.cpp
  plugin/ais_app.cpp
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
