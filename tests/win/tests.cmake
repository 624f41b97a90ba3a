# Windows-side tests: the Win32 backend's tests and the GUI driver. The Linux
# build runs both under Wine (register.cmake).

# Finding and reading the program's windows from another process, for the
# GUI driver and for plexiscrub_window_command, which scripts/demo uses to
# wait for the window and close it: no GoogleTest in either.
add_library(plexiscrub_gui_probe STATIC win/gui/gui_driver.cpp win/gui/window_commands.cpp)
target_include_directories(plexiscrub_gui_probe PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/win/gui)
target_link_libraries(plexiscrub_gui_probe PUBLIC plexiscrub_platform_win user32)
add_executable(plexiscrub_window_command win/window_command_main.cpp)
target_link_libraries(plexiscrub_window_command PRIVATE plexiscrub_gui_probe)
plexiscrub_wide_entry(plexiscrub_window_command)

# GoogleTest from its sources, built without the project's warning flags:
# its own code is not held to -Werror here.
set(PLEXISCRUB_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
if(NOT EXISTS ${PLEXISCRUB_GTEST_SOURCE}/CMakeLists.txt)
  # A build on Windows without them still makes the programs.
  message(WARNING "No GoogleTest sources in ${PLEXISCRUB_GTEST_SOURCE}: the Windows test programs "
                  "are not built (set PLEXISCRUB_GTEST_SOURCE to a GoogleTest source folder)")
  return()
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
get_directory_property(project_compile_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${PLEXISCRUB_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${project_compile_options}")
# Its headers count as system headers in our tests, like the Linux package's.
foreach(lib gtest gtest_main gmock)
  get_target_property(dirs ${lib} INTERFACE_INCLUDE_DIRECTORIES)
  set_target_properties(${lib} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${dirs}")
endforeach()

file(GLOB win_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win/*_test.cpp)
# The program's command line and environment choice are tested here too.
# The erase tables run here too, through the Win32 backend over the model
# of the storage stack (support/machine_backend.h).
add_executable(plexiscrub_win_tests ${win_test_sources} ${PROJECT_SOURCE_DIR}/src/app/environment_win.cpp
               win/storage_model.cpp erase/erase_trust_test.cpp erase/firmware_purge_test.cpp)
target_include_directories(plexiscrub_win_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# The probes kept as test data, which the backend also runs on (Wine's Z:
# is the Linux root).
target_compile_definitions(plexiscrub_win_tests PRIVATE PLEXISCRUB_PROBES_FOLDER="${CMAKE_CURRENT_SOURCE_DIR}/data/probes/")
target_link_libraries(plexiscrub_win_tests PRIVATE plexiscrub_platform_win plexiscrub_platform_sim
                      gtest_main gmock)

# The GUI driver: starts plexiscrub.exe on a simulated machine and checks its
# windows from outside, as a user's tools would see them.
file(GLOB gui_driver_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win/gui/*.cpp)
list(REMOVE_ITEM gui_driver_sources ${CMAKE_CURRENT_SOURCE_DIR}/win/gui/gui_driver.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/win/gui/window_commands.cpp)
add_executable(plexiscrub_gui_driver ${gui_driver_sources})
target_include_directories(plexiscrub_gui_driver PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(plexiscrub_gui_driver PRIVATE plexiscrub_gui_probe plexiscrub_platform_sim
                      gtest)
plexiscrub_wide_entry(plexiscrub_gui_driver)
add_dependencies(plexiscrub_gui_driver plexiscrub)

# The controls driver: works the control gallery (tools/gallery) through
# window messages and compares what it paints.
add_executable(plexiscrub_controls_driver win/controls_driver_win.cpp)
target_include_directories(plexiscrub_controls_driver PRIVATE ${PROJECT_SOURCE_DIR}/tools ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(plexiscrub_controls_driver PRIVATE gtest user32 gdi32)
plexiscrub_wide_entry(plexiscrub_controls_driver)
add_dependencies(plexiscrub_controls_driver plexiscrub_gallery)
