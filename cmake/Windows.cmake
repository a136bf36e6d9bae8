# The Windows build: vxRegCPX and vxTRXVer as Windows programs, on the same
# domain code as on Linux, with the platform layer in platform/win32 instead
# of Qt, D-Bus and ODBC. Included by the top CMakeLists.txt.
enable_language(RC)

# Windows 10 API level: GetLocaleInfoEx, GetDateFormatEx and friends.
add_compile_definitions(WINVER=0x0A00 _WIN32_WINNT=0x0A00 UNICODE _UNICODE NOMINMAX
                        WIN32_LEAN_AND_MEAN)
# A program is one .exe that runs wherever it is copied: no MinGW runtime DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)

if(TRX_BUILD_TESTS)
  enable_testing()
  # GoogleTest from Debian's source package, built with the cross compiler;
  # SYSTEM keeps our warning flags off its headers.
  set(TRX_GOOGLETEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TRX_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest SYSTEM
                   EXCLUDE_FROM_ALL)
  # GoogleTest's own build names them GTest::gtest and GTest::gtest_main too.
  foreach(target gtest gtest_main)
    # Our warning flags are for our code only.
    set_target_properties(${target} PROPERTIES COMPILE_OPTIONS "")
  endforeach()
  include(GoogleTest)
  # Listing the tests runs each test program under Wine; do it when the tests
  # run (in their Wine prefix), not at build time.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
  # Under Wine the host's root is drive Z:.
  file(REAL_PATH "${TRX_CONFORMANCE_DIR}" trx_conformance_host)
  set(TRX_CONFORMANCE_DIR "Z:${trx_conformance_host}")
endif()

# Makes a target a Windows desktop program (wWinMain, no console) with its
# VERSIONINFO resource: company, product and internal name as given, the
# original file name PROGRAM.exe, versions "1.00" and the self-registration
# mark OLESelfRegister.
function(trx_windows_program program company product internal)
  set_target_properties(${program} PROPERTIES WIN32_EXECUTABLE ON)
  target_link_options(${program} PRIVATE -municode)
  set(TRX_RC_PROGRAM ${program})
  set(TRX_RC_COMPANY ${company})
  set(TRX_RC_PRODUCT ${product})
  set(TRX_RC_INTERNAL ${internal})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${program}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/platform/win32/VersionInfo.rc.in ${rc} @ONLY)
  target_sources(${program} PRIVATE ${rc})
endfunction()

add_subdirectory(common)
add_subdirectory(platform)
add_subdirectory(automation)
add_subdirectory(registrar)
add_subdirectory(version)
if(TRX_BUILD_TESTS OR TRX_BUILD_BENCH)
  add_subdirectory(tests/support)
endif()
if(TRX_BUILD_TESTS)
  add_subdirectory(tests)
endif()
