# The layers of the program: one static library each, with an explicit file list, linked only to
# the layers below it. corkboard_layer() records which folders each layer owns and may include;
# corkboard_layer_check() adds the build step that holds every file of src/ to that.

set_property(GLOBAL PROPERTY CORKBOARD_LAYER_RULES "")
set_property(GLOBAL PROPERTY CORKBOARD_LISTED_SOURCES "")

# corkboard_layer(<name> FOLDERS <folders under src/> [LINKS <lower layers>] SOURCES <files>)
# Creates the library corkboard_<name> from SOURCES (relative to src/). Its files may include
# headers of its own FOLDERS and of every layer it links, directly or through another layer.
function(corkboard_layer name)
  cmake_parse_arguments(L "" "" "FOLDERS;LINKS;SOURCES" ${ARGN})
  list(TRANSFORM L_SOURCES PREPEND "${PROJECT_SOURCE_DIR}/src/" OUTPUT_VARIABLE files)
  add_library(corkboard_${name} STATIC ${files})
  target_include_directories(corkboard_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  add_dependencies(corkboard_${name} layer_check)
  set(reach ${L_FOLDERS})
  foreach(lower ${L_LINKS})
    target_link_libraries(corkboard_${name} PUBLIC corkboard_${lower})
    get_property(lower_reach GLOBAL PROPERTY CORKBOARD_REACH_${lower})
    list(APPEND reach ${lower_reach})
  endforeach()
  list(REMOVE_DUPLICATES reach)
  set_property(GLOBAL PROPERTY CORKBOARD_REACH_${name} ${reach})
  foreach(folder ${L_FOLDERS})
    list(JOIN reach " " allowed)
    set_property(GLOBAL APPEND PROPERTY CORKBOARD_LAYER_RULES "${folder}: ${allowed}")
  endforeach()
  corkboard_listed(${L_SOURCES})
endfunction()

# Files of src/ built outside the layer libraries (main, fuzz target, benchmarks), so the check
# knows they are not forgotten.
function(corkboard_listed)
  set_property(GLOBAL APPEND PROPERTY CORKBOARD_LISTED_SOURCES ${ARGN})
endfunction()

# The check runs on every build, before any library compiles: a file that includes a header of
# a layer its own does not link, or a source file that no file list names, fails the build.
function(corkboard_layer_check)
  get_property(rules GLOBAL PROPERTY CORKBOARD_LAYER_RULES)
  get_property(listed GLOBAL PROPERTY CORKBOARD_LISTED_SOURCES)
  list(JOIN rules "\n" rules_text)
  list(JOIN listed "\n" listed_text)
  file(WRITE ${CMAKE_BINARY_DIR}/layers/rules.txt "${rules_text}\n")
  file(WRITE ${CMAKE_BINARY_DIR}/layers/listed.txt "${listed_text}\n")
  add_custom_target(layer_check ALL
    COMMAND ${CMAKE_COMMAND} -DSRC=${PROJECT_SOURCE_DIR}/src -DRULES=${CMAKE_BINARY_DIR}/layers/rules.txt
            -DLISTED=${CMAKE_BINARY_DIR}/layers/listed.txt -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake
    COMMENT "Checking that each layer includes only the layers below it"
    VERBATIM)
endfunction()
