# SQLite from the amalgamation that tools/setup fetched.
set(TIDEWELL_SQLITE_DIR ${PROJECT_SOURCE_DIR}/third_party/sqlite)
if(NOT EXISTS ${TIDEWELL_SQLITE_DIR}/sqlite3.c)
  message(FATAL_ERROR "SQLite amalgamation missing: run tools/setup")
endif()
add_library(sqlite3 STATIC ${TIDEWELL_SQLITE_DIR}/sqlite3.c)
target_include_directories(sqlite3 SYSTEM PUBLIC ${TIDEWELL_SQLITE_DIR})
# Serialized mode: worker threads share the one connection.
target_compile_definitions(sqlite3 PUBLIC SQLITE_THREADSAFE=1
  PRIVATE SQLITE_DEFAULT_FOREIGN_KEYS=0 SQLITE_OMIT_LOAD_EXTENSION SQLITE_DQS=0)
# Sanitizing the engine itself is slow and finds nothing of ours.
if(NOT WIN32)
  target_compile_options(sqlite3 PRIVATE -fno-sanitize=all -O2)
  target_link_libraries(sqlite3 PUBLIC ${CMAKE_DL_LIBS} pthread)
endif()
set_target_properties(sqlite3 PROPERTIES C_STANDARD 11)
