# The libraries' floors, read from dependencies.json at the root: which headers each
# library shows to what links it, and a check that no library links one it may not
# build on. The same file is what scripts/check-dependencies.py holds every #include to.

file(READ ${PROJECT_SOURCE_DIR}/dependencies.json camvey_dependencies)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/dependencies.json)

# camvey_json_list(<out> <path...>): the strings of the JSON array at <path>, or nothing
# when there is none.
function(camvey_json_list out)
  set(items)
  string(JSON count ERROR_VARIABLE missing LENGTH "${camvey_dependencies}" ${ARGN})
  if(NOT missing AND count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
      string(JSON item GET "${camvey_dependencies}" ${ARGN} ${i})
      list(APPEND items ${item})
    endforeach()
  endif()
  set(${out} ${items} PARENT_SCOPE)
endfunction()

# camvey_library_names(<out>): every library the file lists.
function(camvey_library_names out)
  set(names)
  string(JSON count LENGTH "${camvey_dependencies}" libraries)
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON name MEMBER "${camvey_dependencies}" libraries ${i})
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# camvey_headers_matching(<out> <headers> <patterns...>): the headers one of the file
# name patterns ("byte_streams.*") matches.
function(camvey_headers_matching out headers)
  set(matched)
  foreach(pattern IN LISTS ARGN)
    string(REPLACE "." "\\." regex "${pattern}")
    string(REPLACE "*" ".*" regex "${regex}")
    set(some ${headers})
    list(FILTER some INCLUDE REGEX "^${regex}$")
    list(APPEND matched ${some})
  endforeach()
  set(${out} ${matched} PARENT_SCOPE)
endfunction()

# camvey_library_headers(<name> <PUBLIC|PRIVATE|INTERFACE>): shows the library's own
# headers, and no others of the project, under their paths from the root
# ("messaging/encodable_value.h"), through a folder of forwarding headers in the build
# tree: unlike links they need no rights on Windows, and unlike copies they always show
# the header as it is. They are rewritten only when they change, so a new configuration
# rebuilds nothing. The library must be listed in dependencies.json with the folder of
# the CMakeLists.txt that makes it.
function(camvey_library_headers name visibility)
  string(JSON folder ERROR_VARIABLE missing GET "${camvey_dependencies}" libraries ${name} folder)
  if(missing)
    message(FATAL_ERROR "${name}: not listed in dependencies.json")
  endif()
  file(RELATIVE_PATH here ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT here STREQUAL folder)
    message(FATAL_ERROR "${name}: made in ${here}, but dependencies.json puts it in ${folder}")
  endif()
  file(GLOB headers RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  camvey_json_list(patterns libraries ${name} files)
  if(patterns)
    camvey_headers_matching(own "${headers}" ${patterns})
  else()
    # The headers the folder's other libraries do not claim.
    set(own ${headers})
    camvey_library_names(names)
    foreach(other IN LISTS names)
      string(JSON other_folder GET "${camvey_dependencies}" libraries ${other} folder)
      if(NOT other STREQUAL name AND other_folder STREQUAL folder)
        camvey_json_list(other_patterns libraries ${other} files)
        camvey_headers_matching(claimed "${headers}" ${other_patterns})
        if(claimed)
          list(REMOVE_ITEM own ${claimed})
        endif()
      endif()
    endforeach()
  endif()
  set(shown ${CMAKE_BINARY_DIR}/include/${name})
  file(GLOB_RECURSE stale RELATIVE ${shown} ${shown}/*)
  foreach(header IN LISTS own)
    list(REMOVE_ITEM stale ${folder}/${header})
    # A link left by an older tree would be written through, onto the header itself.
    if(IS_SYMLINK ${shown}/${folder}/${header})
      file(REMOVE ${shown}/${folder}/${header})
    endif()
    file(CONFIGURE OUTPUT ${shown}/${folder}/${header}
         CONTENT "#include \"${CMAKE_CURRENT_SOURCE_DIR}/${header}\"\n" @ONLY)
  endforeach()
  foreach(gone IN LISTS stale)
    file(REMOVE ${shown}/${gone})
  endforeach()
  target_include_directories(${name} ${visibility} ${shown})
endfunction()

# camvey_check_links(): stops the configuration when a library links a library of the
# project that dependencies.json does not let it build on.
function(camvey_check_links)
  camvey_library_names(names)
  set(faults)
  foreach(name IN LISTS names)
    if(NOT TARGET ${name})
      continue()
    endif()
    camvey_json_list(uses libraries ${name} uses)
    get_target_property(type ${name} TYPE)
    set(linked)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${name} LINK_LIBRARIES)
      list(APPEND linked ${direct})
    endif()
    get_target_property(interface ${name} INTERFACE_LINK_LIBRARIES)
    list(APPEND linked ${interface})
    foreach(item IN LISTS linked)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
      if(item IN_LIST names AND NOT item IN_LIST uses)
        list(APPEND faults "${name} links ${item}, which dependencies.json does not let it build on")
      endif()
    endforeach()
  endforeach()
  if(faults)
    list(REMOVE_DUPLICATES faults)
    list(JOIN faults "\n" text)
    message(FATAL_ERROR "${text}")
  endif()
endfunction()
