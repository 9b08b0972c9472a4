# The fuzz targets: fuzz/<name>_fuzz.cpp, each with its corpus in fuzz/corpus/<name>/.
# Included by the top-level CMakeLists.txt (corpus replays) and by fuzz/CMakeLists.txt
# (libFuzzer programs).

file(GLOB ZEL_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)

# Names of the targets that this build can link (the print program's needs cairo).
function(zel_fuzz_names out)
  set(names)
  foreach(f IN LISTS ZEL_FUZZ_SOURCES)
    get_filename_component(n ${f} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" n ${n})
    if(n STREQUAL "print_file" AND NOT TARGET zel_zelprint)
      continue()
    endif()
    list(APPEND names ${n})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# What a target needs beyond the system's procedures.
function(zel_fuzz_link target name)
  target_link_libraries(${target} PRIVATE zel_parts)
  if(name STREQUAL "print_file")
    target_link_libraries(${target} PRIVATE zel_zelprint)
  elseif(name STREQUAL "zelutil_load")
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tools/zelutil/data_commands.cpp)
  endif()
endfunction()
