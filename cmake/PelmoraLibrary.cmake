# One static library per source folder. Those who link it see the folder's
# own headers and nothing else: its headers are linked one by one into
# build/include/<target>/<folder>, and that is the library's include path.
# So a folder that includes a header of a folder it does not link fails to
# compile, and the links between the folders are the include graph.

# pelmora_expose_headers(TARGET PUBLIC|INTERFACE FOLDER)
function(pelmora_expose_headers target scope folder)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${root}/${folder})
  file(MAKE_DIRECTORY ${root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/${folder} ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  foreach(h IN LISTS headers)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder}/${h} ${root}/${folder}/${h} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# pelmora_folder_library(TARGET FOLDER [QT] [EXCLUDE file...])
# The sources directly in FOLDER (not its subfolders); QT runs moc on them.
function(pelmora_folder_library target folder)
  cmake_parse_arguments(arg "QT" "" "EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  foreach(x IN LISTS arg_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${folder}/${x})
  endforeach()
  add_library(${target} STATIC ${sources})
  if(arg_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
  endif()
  pelmora_expose_headers(${target} PUBLIC ${folder})
endfunction()
