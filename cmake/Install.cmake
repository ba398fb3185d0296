# What "cmake --install" puts under the prefix: the program and its helpers in bin, the
# desktop entry, our MIME package and the icons where the freedesktop tools look, and the
# read-only resource folder share/morvelan. With MV_PORTABLE_LAYOUT everything goes into
# the prefix itself, with the manifest "morvelan.files" that uninstalling a portable copy
# deletes by (and nothing else).
option(MV_PORTABLE_LAYOUT "Install a portable copy: one folder with its manifest" OFF)

if(MV_PORTABLE_LAYOUT)
    set(MV_INSTALL_BIN .)
    set(MV_INSTALL_SHARE share)
else()
    include(GNUInstallDirs)
    set(MV_INSTALL_BIN ${CMAKE_INSTALL_BINDIR})
    set(MV_INSTALL_SHARE ${CMAKE_INSTALL_DATADIR})
endif()

set(MV_INSTALLED_FILES "")
foreach(program morvelan mvshell-host)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${MV_INSTALL_BIN} COMPONENT program)
        list(APPEND MV_INSTALLED_FILES ${program})
    endif()
endforeach()
if(TARGET mvshell)
    install(TARGETS mvshell LIBRARY DESTINATION ${MV_INSTALL_BIN} COMPONENT program)
    list(APPEND MV_INSTALLED_FILES libmvshell.so)
endif()

set(MV_DESKTOP_FILES
    resources/desktop/morvelan.desktop ${MV_INSTALL_SHARE}/applications/morvelan.desktop
    resources/desktop/morvelan-mime.xml ${MV_INSTALL_SHARE}/mime/packages/morvelan.xml
    resources/icons/morvelan.svg ${MV_INSTALL_SHARE}/icons/hicolor/scalable/apps/morvelan.svg
    resources/icons/morvelan-uninstall.svg ${MV_INSTALL_SHARE}/icons/hicolor/scalable/apps/morvelan-uninstall.svg
    resources/icons/morvelan.svg ${MV_INSTALL_SHARE}/morvelan/morvelan.svg)
while(MV_DESKTOP_FILES)
    list(POP_FRONT MV_DESKTOP_FILES source target)
    get_filename_component(folder ${target} DIRECTORY)
    get_filename_component(name ${target} NAME)
    install(FILES ${CMAKE_SOURCE_DIR}/${source} DESTINATION ${folder} RENAME ${name} COMPONENT desktop)
    if(MV_PORTABLE_LAYOUT)
        list(APPEND MV_INSTALLED_FILES ${target})
    endif()
endwhile()

if(MV_PORTABLE_LAYOUT)
    list(JOIN MV_INSTALLED_FILES "\n" manifest)
    file(WRITE ${CMAKE_BINARY_DIR}/morvelan.files "${manifest}\n")
    install(FILES ${CMAKE_BINARY_DIR}/morvelan.files DESTINATION . COMPONENT desktop)
endif()
