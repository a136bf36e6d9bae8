# The Windows build: vxRegCPX, vxTRXVer and VXBCboSv as Windows programs, on the same
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
  # Each test program is one CTest test (trx_wine_test in cmake/TrxTest.cmake).
  # Under Wine the host's root is drive Z:.
  file(REAL_PATH "${TRX_CONFORMANCE_DIR}" trx_conformance_host)
  set(TRX_CONFORMANCE_DIR "Z:${trx_conformance_host}")
endif()

# The type libraries and version resources are made from the programs' class
# descriptions by tools/typelib, a program built for and run on the build
# machine: the descriptions are the one source of every interface.
include(ExternalProject)
set(TRX_TYPELIB_TOOL ${CMAKE_BINARY_DIR}/host-tools/trx-typelib)
ExternalProject_Add(trx_typelib_tool
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/typelib
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
  CMAKE_ARGS -DTRX_WERROR=${TRX_WERROR}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${TRX_TYPELIB_TOOL})

# Makes a target a Windows desktop program (wWinMain, no console) with the
# VERSIONINFO resource of the class it serves (CPXFile, Version, VXComboDB).
function(trx_windows_program program class)
  set_target_properties(${program} PROPERTIES WIN32_EXECUTABLE ON)
  target_link_options(${program} PRIVATE -municode)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${program}_version.rc)
  add_custom_command(
    OUTPUT ${rc}
    COMMAND ${TRX_TYPELIB_TOOL} rc ${class} ${rc}
    DEPENDS ${TRX_TYPELIB_TOOL} trx_typelib_tool
    COMMENT "trx-typelib: the version resource of ${program}"
    VERBATIM)
  target_sources(${program} PRIVATE ${rc})
endfunction()

# widl compiles each program's IDL into its type library; it needs Wine's
# Windows IDL files (import "oaidl.idl") and stdole2.tlb (importlib).
find_program(TRX_WIDL NAMES ${TRX_MINGW_TRIPLE}-widl widl REQUIRED)
set(TRX_WINE_IDL_DIR "/usr/include/wine/wine/windows" CACHE PATH "Wine's Windows IDL files")
set(TRX_WINE_TLB_DIR "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows" CACHE PATH
    "Folder with Wine's stdole2.tlb")

# Makes the IDL of the type library NAME from the description of CLASS
# (CPXFile, Version, VXComboDB), and from it NAME.tlb, the C++ header NAME.h
# and its GUIDs NAME_i.c in the current binary folder; embeds the type
# library in PROGRAM as its TYPELIB resource 1, where LoadTypeLib finds it,
# and the same library laid out for 32-bit clients (NAME32.tlb) as resource 2,
# which registration files under win32 ("program.exe\2").
# The header's folder is added to LIBRARY's include path.
function(trx_type_library program library class name)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  set(idl ${out}/${name}.idl)
  set(widl ${TRX_WIDL} -I${TRX_WINE_IDL_DIR} -L${TRX_WINE_TLB_DIR})
  add_custom_command(
    OUTPUT ${idl}
    COMMAND ${TRX_TYPELIB_TOOL} idl ${class} ${idl}
    DEPENDS ${TRX_TYPELIB_TOOL} trx_typelib_tool
    COMMENT "trx-typelib: the type library ${name}"
    VERBATIM)
  add_custom_command(
    OUTPUT ${out}/${name}.tlb ${out}/${name}32.tlb ${out}/${name}.h ${out}/${name}_i.c
    # A type library keeps its texts in the code page of its locale, and widl
    # copies the bytes of its input: the library is made from the IDL in
    # Windows-1252, so that "für" reads back as it is written.
    COMMAND iconv -f UTF-8 -t WINDOWS-1252 ${idl} -o ${out}/${name}.1252.idl
    COMMAND ${widl} --win64 -t -o ${out}/${name}.tlb ${out}/${name}.1252.idl
    COMMAND ${widl} --win32 -t -o ${out}/${name}32.tlb ${out}/${name}.1252.idl
    COMMAND ${widl} --win64 -h -o ${out}/${name}.h ${idl}
    COMMAND ${widl} --win64 -u -o ${out}/${name}_i.c ${idl}
    DEPENDS ${idl}
    COMMENT "widl ${name}.idl"
    VERBATIM)
  # Written only when it changes, so that configuring again rebuilds nothing.
  file(CONFIGURE OUTPUT ${out}/${name}_typelib.rc
       CONTENT "1 TYPELIB \"${out}/${name}.tlb\"\n2 TYPELIB \"${out}/${name}32.tlb\"\n")
  # Source properties belong to a directory: set it where the program is
  # defined, or its resource would keep embedding an older library.
  set_source_files_properties(${out}/${name}_typelib.rc TARGET_DIRECTORY ${program}
                              PROPERTIES OBJECT_DEPENDS "${out}/${name}.tlb;${out}/${name}32.tlb")
  target_sources(${program} PRIVATE ${out}/${name}_typelib.rc)
  target_sources(${library} PRIVATE ${out}/${name}.h ${out}/${name}_i.c)
  # SYSTEM: widl's header gives optional text parameters defaults (L"") that
  # our warnings about string constants would refuse.
  target_include_directories(${library} SYSTEM PUBLIC ${out})
endfunction()

add_subdirectory(common)
add_subdirectory(platform)
add_subdirectory(automation)
add_subdirectory(registrar)
add_subdirectory(version)
add_subdirectory(combolist)
# The Windows Installer package of the three programs.
add_subdirectory(packaging/windows)
if(TRX_BUILD_TESTS OR TRX_BUILD_BENCH)
  add_subdirectory(tests/support)
endif()
if(TRX_BUILD_TESTS)
  add_subdirectory(tests)
endif()
if(TRX_BUILD_BENCH)
  add_subdirectory(bench/win32)
endif()
