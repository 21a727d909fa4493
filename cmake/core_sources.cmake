# The sources of zelvoran_core, the Qt-free layer, for the main build and the
# Windows build (tests/win32). The ones that need SQLite are kept apart: the
# Windows build has no SQLite to link.
get_filename_component(ZELVORAN_CORE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(ZELVORAN_CORE_SOURCES
  ${ZELVORAN_CORE_ROOT}/base/Excel_unit_text.cpp
  ${ZELVORAN_CORE_ROOT}/base/Excel_unit_housekeeping.cpp
  ${ZELVORAN_CORE_ROOT}/base/app_folder.cpp
  ${ZELVORAN_CORE_ROOT}/base/pinyin_initials.cpp
  ${ZELVORAN_CORE_ROOT}/grid/grid_model.cpp
  ${ZELVORAN_CORE_ROOT}/store/jet_dialect.cpp
  ${ZELVORAN_CORE_ROOT}/store/statements.cpp
  ${ZELVORAN_CORE_ROOT}/export/export_text.cpp
  ${ZELVORAN_CORE_ROOT}/export/rich_text.cpp
  ${ZELVORAN_CORE_ROOT}/export/file_output.cpp
  ${ZELVORAN_CORE_ROOT}/export/csv_writer.cpp
  ${ZELVORAN_CORE_ROOT}/export/fixed_width_writer.cpp
  ${ZELVORAN_CORE_ROOT}/export/html_writer.cpp)
set(ZELVORAN_CORE_SQLITE_SOURCES
  ${ZELVORAN_CORE_ROOT}/store/ado.cpp
  ${ZELVORAN_CORE_ROOT}/store/settings_record.cpp)
