# exam_add_test(NAME SOURCES files... LIBS libs... [RESOURCE_LOCK locks...] [XVFB] [TIMEOUT s])
#
# Builds one Qt Test executable and registers it with CTest. Every test runs with the offscreen
# Qt platform and a private runtime folder; XVFB runs it under a virtual X display instead.
# Tests that bind the system's fixed ports name the lock "exam-ports".
set(EXAM_TEST_RUNTIME_DIR "${CMAKE_BINARY_DIR}/xdg-runtime")
file(MAKE_DIRECTORY "${EXAM_TEST_RUNTIME_DIR}")
file(CHMOD "${EXAM_TEST_RUNTIME_DIR}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(EXAM_LSAN_SUPPRESSIONS "${CMAKE_SOURCE_DIR}/tests/lsan.supp")

function(exam_add_test name)
    cmake_parse_arguments(T "XVFB" "TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK;ARGS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
    target_compile_definitions(${name} PRIVATE
        EXAM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" EXAM_BINARY_DIR="${CMAKE_BINARY_DIR}")
    if(T_XVFB)
        add_test(NAME ${name}
                 COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${name}> ${T_ARGS})
        set(platform "QT_QPA_PLATFORM=xcb")
    else()
        add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
        set(platform "QT_QPA_PLATFORM=offscreen")
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "${platform};XDG_RUNTIME_DIR=${EXAM_TEST_RUNTIME_DIR};QT_LOGGING_RULES=qt.qpa.*=false;LSAN_OPTIONS=suppressions=${EXAM_LSAN_SUPPRESSIONS}:print_suppressions=0;ASAN_OPTIONS=detect_odr_violation=0;UBSAN_OPTIONS=print_stacktrace=1")
    if(T_RESOURCE_LOCK)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
    endif()
endfunction()

# exam_add_library(NAME LIBS libs...)
#
# One static library from every .cpp of the calling folder. Platform files are named after their
# platform (FooPosix.cpp, FooX11.cpp, FooWin32.cpp) and only those of the build's platform are
# taken, so a port adds files instead of #if ladders.
function(exam_add_library name)
    cmake_parse_arguments(L "" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "(Posix|X11)\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "Win32\\.cpp$")
    endif()
    if(NOT sources)
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE "${CMAKE_SOURCE_DIR}/src")
        target_link_libraries(${name} INTERFACE ${L_LIBS})
        return()
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
    target_link_libraries(${name} PUBLIC ${L_LIBS})
endfunction()
