# The sources of zelvoran_core, the Qt-free layer (core/), for the main build
# and the Windows build (tests/win32). The ones that call a library the
# Windows cross-build has no copy of (SQLite, libjpeg, libmdb) are kept apart:
# ZELVORAN_CORE_SOURCES builds anywhere (the browser model included: it runs
# its statements through the store::Query interface),
# ZELVORAN_CORE_NATIVE_SOURCES only where those libraries are.
get_filename_component(ZELVORAN_CORE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
file(GLOB ZELVORAN_CORE_SOURCES CONFIGURE_DEPENDS ${ZELVORAN_CORE_ROOT}/core/*/*.cpp)
set(ZELVORAN_CORE_NATIVE_SOURCES
  ${ZELVORAN_CORE_ROOT}/core/store/access_file.cpp
  ${ZELVORAN_CORE_ROOT}/core/store/ado.cpp
  ${ZELVORAN_CORE_ROOT}/core/image/jpeg_decode.cpp)
list(REMOVE_ITEM ZELVORAN_CORE_SOURCES ${ZELVORAN_CORE_NATIVE_SOURCES})
