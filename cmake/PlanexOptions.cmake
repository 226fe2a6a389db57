# The compile and link options of every target of the project, as one interface target that each
# target links (PRIVATE): warnings, warnings as errors (PLANEX_WERROR), the sanitizers
# (PLANEX_SANITIZE). Nothing is set for the whole directory tree, so a target that is not ours
# (a compile-fail test, an imported library) gets none of it.
add_library(planex_options INTERFACE)
target_compile_options(planex_options INTERFACE -Wall -Wextra)
# GCC 12 reports -Wrestrict inside std::string's operator+ at -O2 (GCC bug 105329), a false
# positive on any `"text" + std::string` expression.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(planex_options INTERFACE -Wno-restrict)
endif()
if(PLANEX_WERROR)
  target_compile_options(planex_options INTERFACE -Werror)
endif()
if(PLANEX_SANITIZE)
  target_compile_options(planex_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                  -fno-sanitize-recover=undefined)
  target_link_options(planex_options INTERFACE -fsanitize=address,undefined)
endif()

# Links planex_options to every target made in dir and the folders below it, for the folders whose
# CMakeLists do not name it themselves (the embedded database, the fuzz targets, the benchmarks).
function(planex_options_for_folder dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_link_libraries(${target} PRIVATE planex_options)
    endif()
  endforeach()
  get_property(folders DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(folder IN LISTS folders)
    planex_options_for_folder(${folder})
  endforeach()
endfunction()
