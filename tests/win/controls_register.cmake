# The owner-drawn controls under Wine: the gallery's screenshot (saved in
# the Windows build folder), the track bar moved by keys and by a drag, and
# Enter and Escape reaching the Default and Cancel buttons, all through
# window messages.
add_test(NAME win.controls
         COMMAND ${wine_run} ${wine_prefix}
                 ${PLEXISCRUB_WIN_BUILD}/tests/plexiscrub_controls_driver.exe
                 --gallery=${PLEXISCRUB_WIN_BUILD}/tools/plexiscrub_gallery.exe
                 --shot=${PLEXISCRUB_WIN_BUILD}/controls-gallery.bmp)
set_tests_properties(win.controls PROPERTIES TIMEOUT 900 LABELS wine)
