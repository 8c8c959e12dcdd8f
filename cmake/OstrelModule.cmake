# One static library per module folder under src/, made from every .cpp in it (plus win32/ or
# posix/ for the platform module). Each module names the modules it may use (USES), which is the
# one dependency table of the build:
#  - the module links those modules' libraries, so a module's tests build without the rest;
#  - the module compiles against an include view of its own, a folder in the build tree holding
#    a link to its own folder and to those of the modules it may use (and what they use in turn,
#    since their headers include their own dependencies), so "device/x.h" in a module that may
#    not use device fails to compile. scripts/check-includes reads the same table and holds each
#    module to its direct uses.
# A module folder that does not exist yet gives an empty library and a link to nothing.
# LIBS names further libraries to link (third-party ones).

define_property(GLOBAL PROPERTY OSTREL_MODULE_REACH
                BRIEF_DOCS "Per module: itself and every module it reaches through its uses"
                FULL_DOCS "Set by ostrel_module as OSTREL_MODULE_REACH_<name>.")

# The build-tree folder of a module's include view.
function(ostrel_include_view_dir out name)
    set(${out} "${PROJECT_BINARY_DIR}/include-views/${name}" PARENT_SCOPE)
endfunction()

function(ostrel_module name)
    cmake_parse_arguments(M "OBJECT" "" "USES;LIBS" ${ARGN})
    set(dir "${PROJECT_SOURCE_DIR}/src/${name}")
    file(GLOB srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
    if(WIN32)
        file(GLOB os_srcs CONFIGURE_DEPENDS "${dir}/win32/*.cpp")
    else()
        file(GLOB os_srcs CONFIGURE_DEPENDS "${dir}/posix/*.cpp")
    endif()
    list(APPEND srcs ${os_srcs})
    if(NOT srcs)
        set(empty "${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp")
        file(WRITE "${empty}" "// The ${name} module has no sources yet.\n")
        set(srcs "${empty}")
    endif()
    if(M_OBJECT)
        add_library(ostrel_${name} OBJECT ${srcs})
    else()
        add_library(ostrel_${name} STATIC ${srcs})
    endif()

    # The modules this one reaches: itself, its uses and theirs (declared before it).
    set(reach ${name})
    foreach(used ${M_USES})
        get_property(used_reach GLOBAL PROPERTY OSTREL_MODULE_REACH_${used})
        if(NOT DEFINED used_reach OR used_reach STREQUAL "")
            message(FATAL_ERROR "module ${name} uses ${used}, which is not declared before it")
        endif()
        list(APPEND reach ${used_reach})
    endforeach()
    list(REMOVE_DUPLICATES reach)
    set_property(GLOBAL PROPERTY OSTREL_MODULE_REACH_${name} ${reach})

    ostrel_include_view_dir(view ${name})
    file(REMOVE_RECURSE "${view}")
    file(MAKE_DIRECTORY "${view}")
    foreach(module ${reach})
        file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${module}" "${view}/${module}" SYMBOLIC)
    endforeach()
    target_include_directories(ostrel_${name} PRIVATE "${view}")
    target_include_directories(ostrel_${name} PUBLIC "${PROJECT_SOURCE_DIR}/include")
    target_compile_definitions(ostrel_${name} PUBLIC OSTREL_BUILDING_SDK=1)
    list(TRANSFORM M_USES PREPEND ostrel_ OUTPUT_VARIABLE used_targets)
    target_link_libraries(ostrel_${name} PUBLIC ${used_targets} ${M_LIBS} Threads::Threads)
endfunction()
