# project()'s version is the only one: the header, the version resource and
# the programs' manifests are made from it in the build tree.
set(TIDEWELL_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TIDEWELL_BITNESS 64-bit)
else()
  set(TIDEWELL_BITNESS 32-bit)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in ${TIDEWELL_GENERATED_DIR}/Version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${TIDEWELL_GENERATED_DIR}/VersionInfo.rc @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/tidewell.manifest.in ${TIDEWELL_GENERATED_DIR}/tidewell.manifest @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/skylark/skylark.manifest.in ${TIDEWELL_GENERATED_DIR}/skylark.manifest @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/tests/support/TestProgram.manifest.in ${TIDEWELL_GENERATED_DIR}/TestProgram.manifest @ONLY)

# Every resource script may include them; only resource scripts do, so the
# C++ compiles (and their cache) stay as they were.
include_directories($<$<COMPILE_LANGUAGE:RC>:${TIDEWELL_GENERATED_DIR}>)
