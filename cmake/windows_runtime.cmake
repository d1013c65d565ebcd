# The Windows build with Qt: every program and test program goes to bin/,
# beside the Qt and mingw runtime DLLs and the plugins they load, so that they
# run under wine (or on Windows) as they are, the way the shop's package lays
# them out (scripts/package-windows.sh).
find_package(Qt6 REQUIRED COMPONENTS Core)
get_filename_component(LANHE_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${LANHE_BIN_DIR})

# Configure time is enough: the prefix does not change under a build tree.
file(GLOB qt_runtime_dlls ${LANHE_QT_PREFIX}/bin/*.dll)
file(COPY ${qt_runtime_dlls} DESTINATION ${LANHE_BIN_DIR})
file(COPY ${LANHE_QT_PREFIX}/plugins/platforms/qwindows.dll
          ${LANHE_QT_PREFIX}/plugins/platforms/qoffscreen.dll
     DESTINATION ${LANHE_BIN_DIR}/platforms)
file(COPY ${LANHE_QT_PREFIX}/plugins/styles/qwindowsvistastyle.dll
     DESTINATION ${LANHE_BIN_DIR}/styles)

# On Windows the offscreen platform of the page tests reads its fonts from
# one folder of font files, not from the system: fonts/ in Qt's library
# folder, which for these DLLs is bin/lib (wine passes no QT_ variables to a
# program, so QT_QPA_FONTDIR cannot name another). There go the CJK faces
# that the captions name, as Debian installs them.
set(test_font_dir ${LANHE_BIN_DIR}/lib/fonts)
file(MAKE_DIRECTORY ${test_font_dir})
file(GLOB test_fonts /usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
                     /usr/share/fonts/opentype/noto/Noto*CJK-*.ttc)
foreach(font ${test_fonts})
  get_filename_component(name ${font} NAME)
  file(CREATE_LINK ${font} ${test_font_dir}/${name} SYMBOLIC)
endforeach()
