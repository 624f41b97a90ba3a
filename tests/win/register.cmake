# Runs the Windows build's tests under Wine from the Linux build's CTest.
# PLEXISCRUB_WIN_BUILD is the Windows build folder; its programs run in the
# Wine prefix kept inside it.
set(wine_run ${PROJECT_SOURCE_DIR}/scripts/wine-run)
set(wine_prefix ${PLEXISCRUB_WIN_BUILD}/wineprefix)
# Screenshots of the GUI scenarios: build/artifacts/screenshots beside the
# Windows build folder.
get_filename_component(PLEXISCRUB_SCREENSHOTS ${PLEXISCRUB_WIN_BUILD}/../artifacts/screenshots ABSOLUTE)
file(MAKE_DIRECTORY ${PLEXISCRUB_SCREENSHOTS})

add_test(NAME win.backend
         COMMAND ${wine_run} ${wine_prefix} ${PLEXISCRUB_WIN_BUILD}/tests/plexiscrub_win_tests.exe)
add_test(NAME win.gui
         COMMAND ${wine_run} ${wine_prefix} ${PLEXISCRUB_WIN_BUILD}/tests/plexiscrub_gui_driver.exe
                 --exe=${PLEXISCRUB_WIN_BUILD}/src/plexiscrub.exe
                 --machine=${PROJECT_SOURCE_DIR}/demo/demo.machine
                 --cli=${PLEXISCRUB_WIN_BUILD}/src/plexiscrub-cli.exe
                 --screenshots=${PLEXISCRUB_SCREENSHOTS})
# Each run without a display owns the prefix; they wait for each other.
set_tests_properties(win.backend win.gui PROPERTIES TIMEOUT 900 LABELS wine)
include(${CMAKE_CURRENT_LIST_DIR}/controls_register.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/about_register.cmake OPTIONAL)
# The GUI on denser screens, each in a prefix of its own LogPixels.
add_test(NAME win.dpi
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/dpi_test.sh ${wine_run} ${PLEXISCRUB_WIN_BUILD}/wineprefix-dpi
                 ${PLEXISCRUB_WIN_BUILD}/tests/plexiscrub_gui_driver.exe ${PLEXISCRUB_WIN_BUILD}/src/plexiscrub.exe
                 ${PROJECT_SOURCE_DIR}/demo/demo.machine ${PLEXISCRUB_SCREENSHOTS} 96 120 144 192)
set_tests_properties(win.dpi PROPERTIES TIMEOUT 600 LABELS wine)
# Both programs in a prefix set up like Windows PE.
add_test(NAME win.winpe
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/winpe_test.sh ${wine_run} ${PLEXISCRUB_WIN_BUILD}/wineprefix-winpe
                 ${PLEXISCRUB_WIN_BUILD}/tests/plexiscrub_gui_driver.exe ${PLEXISCRUB_WIN_BUILD}/src/plexiscrub.exe
                 ${PLEXISCRUB_WIN_BUILD}/src/plexiscrub-cli.exe ${PROJECT_SOURCE_DIR}/demo/demo.machine
                 ${PLEXISCRUB_SCREENSHOTS}-winpe)
set_tests_properties(win.winpe PROPERTIES TIMEOUT 600 LABELS wine)
# The manifest embedded in the program names the project's version.
add_test(NAME win.manifest_version
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/manifest_version.sh ${PLEXISCRUB_WIN_BUILD}/src/plexiscrub.exe
                 ${PROJECT_VERSION})
