# The release this source is, and the one time that everything built from it
# records. Each release has its own entry at the top of the change log and in
# the AppStream description; the newest of both must be this project's
# version. ZELVORAN_SOURCE_DATE_EPOCH is SOURCE_DATE_EPOCH from the
# environment, as Debian's builders set it, else the date of the change log's
# newest entry (seconds since 1970, UTC): the same source builds the same
# files, whenever and wherever it is built.
set(ZELVORAN_CHANGELOG ${CMAKE_SOURCE_DIR}/packaging/changelog)
set(ZELVORAN_METAINFO ${CMAKE_SOURCE_DIR}/packaging/org.zelvoran.Zelvoran.metainfo.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${ZELVORAN_CHANGELOG} ${ZELVORAN_METAINFO})

file(STRINGS ${ZELVORAN_CHANGELOG} _newest_entry LIMIT_COUNT 1)
if(NOT _newest_entry MATCHES "^zelvoran \\(([^)]+)\\) "
   OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog: the newest entry must be version "
                      "${PROJECT_VERSION}, found: ${_newest_entry}")
endif()
file(READ ${ZELVORAN_METAINFO} _metainfo)
if(NOT _metainfo MATCHES "<release version=\"([^\"]+)\""
   OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "${ZELVORAN_METAINFO}: the first release must be version "
                      "${PROJECT_VERSION}")
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ZELVORAN_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  # " -- Name <mail>  Wed, 09 Dec 2026 22:00:00 +0000"
  file(STRINGS ${ZELVORAN_CHANGELOG} _trailer REGEX "^ -- " LIMIT_COUNT 1)
  set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  if(NOT _trailer MATCHES
     "  [A-Za-z]+, ([0-9]+) ([A-Za-z]+) ([0-9]+) ([0-9]+):([0-9]+):([0-9]+) ([+-])([0-9][0-9])([0-9][0-9])$")
    message(FATAL_ERROR "packaging/changelog: no date in the newest entry's trailer: ${_trailer}")
  endif()
  math(EXPR _day "${CMAKE_MATCH_1}")
  list(FIND _months ${CMAKE_MATCH_2} _month)
  math(EXPR _month "${_month} + 1")
  set(_year ${CMAKE_MATCH_3})
  math(EXPR _seconds "1${CMAKE_MATCH_4} * 3600 - 360000 + 1${CMAKE_MATCH_5} * 60 - 6000 + 1${CMAKE_MATCH_6} - 100")
  math(EXPR _offset "(1${CMAKE_MATCH_8} * 3600 - 360000 + 1${CMAKE_MATCH_9} * 60 - 6000)")
  if(CMAKE_MATCH_7 STREQUAL "-")
    math(EXPR _offset "-${_offset}")
  endif()
  # Days from 1970-01-01 to the date (the proleptic Gregorian calendar,
  # years counted from March so that the leap day comes last).
  if(_month LESS_EQUAL 2)
    math(EXPR _year "${_year} - 1")
    math(EXPR _month "${_month} + 9")
  else()
    math(EXPR _month "${_month} - 3")
  endif()
  math(EXPR _era "${_year} / 400")
  math(EXPR _yoe "${_year} - ${_era} * 400")
  math(EXPR _doy "(153 * ${_month} + 2) / 5 + ${_day} - 1")
  math(EXPR _doe "${_yoe} * 365 + ${_yoe} / 4 - ${_yoe} / 100 + ${_doy}")
  math(EXPR _days "${_era} * 146097 + ${_doe} - 719468")
  math(EXPR ZELVORAN_SOURCE_DATE_EPOCH "${_days} * 86400 + ${_seconds} - ${_offset}")
endif()
