# The layer check, run by the build (cmake -P) with SRC (the src/ folder), RULES (lines
# "<folder>: <folders its files may include>") and LISTED (the sources the file lists name).
# Fails when a file includes a header of a layer above its own or of a sibling it does not link,
# or when a source file is in no file list (it would silently not be built).
cmake_minimum_required(VERSION 3.25)

file(STRINGS ${RULES} rule_lines)
set(folders "")
foreach(line ${rule_lines})
  if(line MATCHES "^([^:]+): (.*)$")
    list(APPEND folders ${CMAKE_MATCH_1})
    string(REPLACE " " ";" allowed_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  endif()
endforeach()
file(STRINGS ${LISTED} listed)

# The layer folder that owns a path relative to src/ (the longest folder it lies in), or "".
function(owner path out)
  set(best "")
  string(LENGTH "" best_length)
  foreach(folder ${folders})
    string(FIND "${path}" "${folder}/" at)
    string(LENGTH "${folder}" length)
    if(at EQUAL 0 AND length GREATER best_length)
      set(best ${folder})
      set(best_length ${length})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(failures "")
file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*.h ${SRC}/*.cpp)
foreach(file ${files})
  if(file MATCHES "\\.cpp$" AND NOT file IN_LIST listed)
    list(APPEND failures "src/${file} is in no file list of src/CMakeLists.txt")
  endif()
  if(NOT file MATCHES "/")
    continue()  # main.cpp stands above every layer
  endif()
  owner(${file} layer)
  if(layer STREQUAL "")
    list(APPEND failures "src/${file} lies in a folder of no layer")
    continue()
  endif()
  file(STRINGS ${SRC}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${includes})
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
    owner(${header} header_layer)
    if(header_layer STREQUAL "" OR header_layer IN_LIST allowed_${layer})
      continue()
    endif()
    list(APPEND failures
         "src/${file} (layer ${layer}) includes \"${header}\" of ${header_layer}, which its layer does not link")
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Layer check failed:\n  ${text}\n"
          "A layer may include only its own headers and those of the layers it links "
          "(see src/CMakeLists.txt and docs/ARCHITECTURE.md).")
endif()
