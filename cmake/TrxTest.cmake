# trx_add_test(NAME [QT | WIDGETS | BUS]
#              SOURCES file... [LIBRARIES target...] [PROGRAMS target...]
#              [DEFINITIONS NAME=value...] [LABELS label...] [TIMEOUT seconds]
#              [PROPERTIES name value...])
#
# Adds the GoogleTest program NAME, linked to trx_test_support, and one CTest
# test for each test case that it lists (on Windows, one for the whole
# program: see trx_wine_test). Its main is GoogleTest's own, or the
# one in tests/support/QtTestMain.cpp, which creates the Qt application object
# before any test runs:
#   QT       a QCoreApplication, whose event loop the tests may run;
#   WIDGETS  a QApplication on the offscreen platform, so that listing and
#            running the tests need no display;
#   BUS      as QT, with the private session bus (tests/support/PrivateBus.h).
# PROGRAMS are targets that the tests run: each is built before the tests, and
# its path is the macro TRX_<NAME> (vxRegCPX: TRX_VXREGCPX,
# trx_holding_client: TRX_HOLDING_CLIENT). LABELS, TIMEOUT and PROPERTIES hold
# for every test of the program.
#
# Called for a program that exists already (one whose common part a platform
# branch shares), it adds the sources, libraries, programs and definitions to
# it and lists its tests.
function(trx_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "QT;WIDGETS;BUS" "TIMEOUT"
                        "SOURCES;LIBRARIES;PROGRAMS;DEFINITIONS;LABELS;PROPERTIES")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "trx_add_test(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()

  if(NOT TARGET ${name})
    add_executable(${name})
    if(arg_WIDGETS)
      set(main trx_widgets_test_main)
    elseif(arg_QT OR arg_BUS)
      set(main trx_qt_test_main)
    else()
      set(main GTest::gtest_main)
    endif()
    target_link_libraries(${name} PRIVATE ${main} trx_test_support)
  endif()
  target_sources(${name} PRIVATE ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
  if(arg_BUS)
    target_link_libraries(${name} PRIVATE trx_private_bus)
  endif()
  target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
  foreach(program IN LISTS arg_PROGRAMS)
    string(TOUPPER "${program}" macro)
    string(REGEX REPLACE "^TRX_" "" macro "${macro}")
    target_compile_definitions(${name} PRIVATE TRX_${macro}="$<TARGET_FILE:${program}>")
    add_dependencies(${name} ${program})
  endforeach()

  if(WIN32)
    if(NOT TEST ${name})
      trx_wine_test(${name} PROPERTIES ${arg_PROPERTIES})
      if(arg_TIMEOUT)
        set_tests_properties(${name} PROPERTIES TIMEOUT ${arg_TIMEOUT})
      endif()
      if(arg_LABELS)
        set_property(TEST ${name} PROPERTY LABELS ${arg_LABELS})
      endif()
    endif()
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)

  # The properties go to the listed tests from a file of their own that CTest
  # reads after the list: gtest_discover_tests splits each value at its
  # semicolons, so that LABELS "reliability;bus" would lose its second label
  # and the properties after it.
  set(properties ${arg_PROPERTIES})
  if(arg_WIDGETS)
    list(APPEND properties ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
  if(arg_TIMEOUT)
    list(APPEND properties TIMEOUT ${arg_TIMEOUT})
  endif()
  list(LENGTH properties count)
  math(EXPR odd "${count} % 2")
  if(odd)
    message(FATAL_ERROR "trx_add_test(${name}): PROPERTIES takes pairs of name and value")
  endif()
  set(values "")
  while(count GREATER 0)
    list(POP_FRONT properties property value)
    string(APPEND values " ${property} [==[${value}]==]")
    math(EXPR count "${count} - 2")
  endwhile()
  if(arg_LABELS)
    string(APPEND values " LABELS [==[${arg_LABELS}]==]")
  endif()
  if(values)
    set(file ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
    file(WRITE ${file} "if(${name}_TESTS)\n"
                       "  set_tests_properties(\${${name}_TESTS} PROPERTIES${values})\n"
                       "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
  endif()
endfunction()

# trx_wine_test(NAME [TARGET program] [ARGS arg...] [ENVIRONMENT VAR=value...]
#               [PROPERTIES name value...])
#
# One CTest test NAME that runs the Windows test program TARGET (default NAME)
# with ARGS under Wine, every case it holds in one process: under Wine each
# process costs a second or more to start, so one process for each case
# would cost more than the cases. A failed case is named in the program's
# output. TIMEOUT is 900 s unless PROPERTIES say otherwise: the whole program runs in it.
function(trx_wine_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TARGET" "ARGS;ENVIRONMENT;PROPERTIES")
  if(NOT arg_TARGET)
    set(arg_TARGET ${name})
  endif()
  add_test(NAME ${name} COMMAND ${arg_TARGET} ${arg_ARGS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900 ${arg_PROPERTIES})
  if(arg_ENVIRONMENT)
    set_property(TEST ${name} PROPERTY ENVIRONMENT ${arg_ENVIRONMENT})
  endif()
endfunction()
