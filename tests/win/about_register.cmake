# The about box under Wine: its update-check tests run with the other
# Windows-side tests (win.backend); this takes its screenshots, at rest and
# during a download, into the Windows build folder's about/.
add_test(NAME win.about_screenshots
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/about_screenshots.sh ${wine_run} ${wine_prefix}
                 ${PLEXISCRUB_WIN_BUILD}/tools/about/plexiscrub_about_box.exe
                 ${PLEXISCRUB_WIN_BUILD}/about)
set_tests_properties(win.about_screenshots PROPERTIES TIMEOUT 600 LABELS wine)

# The release from scripts/package, offered as a newer version by a local
# server, downloaded by the program's Update button (update_download.sh).
add_test(NAME win.update_download
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/update_download.sh ${wine_run} ${wine_prefix}
                 ${PLEXISCRUB_WIN_BUILD} ${PROJECT_SOURCE_DIR})
set_tests_properties(win.update_download PROPERTIES TIMEOUT 600 LABELS wine)
