# Installs into a fresh prefix and checks that every file lands where desktops look.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected
    bin/vellumin
    share/applications/vellumin.desktop
    share/metainfo/com.orvak.vellumin.metainfo.xml
    share/man/man1/vellumin.1.gz
    share/icons/hicolor/16x16/apps/vellumin.png
    share/icons/hicolor/32x32/apps/vellumin.png
    share/icons/hicolor/48x48/apps/vellumin.png
    share/icons/hicolor/scalable/apps/vellumin.svg
)
foreach(path IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "missing after install: ${path}")
    endif()
endforeach()

file(READ "${PREFIX}/share/applications/vellumin.desktop" desktop)
foreach(line "Name=Vellumin" "Exec=vellumin" "Icon=vellumin" "Categories=Network;")
    string(FIND "${desktop}" "${line}" at)
    if(at LESS 0)
        message(FATAL_ERROR "the desktop file lacks ${line}")
    endif()
endforeach()

# The version stands in the binary.
file(STRINGS "${PREFIX}/bin/vellumin" version REGEX "^1\\.00$")
if(NOT version)
    message(FATAL_ERROR "the binary does not carry its version 1.00")
endif()
file(REMOVE_RECURSE "${PREFIX}")
