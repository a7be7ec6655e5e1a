# hx_add_library(NAME DEPS...)
# Every source folder is one static library made of all the .cpp/.h files in it,
# so adding a class never means editing a build file.
function(hx_add_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(excluded IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
    add_library(${name} STATIC ${sources})
    hx_refresh_automoc_on_new_files(${name} "${sources}")
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# With Ninja, CMake 3.25 reruns AUTOMOC only when a file it scanned before
# changes, so a class added to a folder after the first build would never be
# moc'ed. Forgetting the autogen stamp whenever the file list changes makes the
# next build scan the folder again.
function(hx_refresh_automoc_on_new_files name sources)
    list(JOIN sources "\n" listing)
    set(listing_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_sources.txt)
    set(previous "")
    if(EXISTS ${listing_file})
        file(READ ${listing_file} previous)
    endif()
    if(NOT previous STREQUAL listing)
        file(WRITE ${listing_file} "${listing}")
        file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/timestamp)
    endif()
endfunction()
