# The Debian package, built from a configured tree with `cpack -G DEB`
# (scripts/package.sh). The runtime dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_CONTACT "Ostrel developers <ostrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small glassy always-on-top audio player")
# Debian wraps the long description at 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "A 500 by 30 glass strip that stays on top of the desktop: drop an audio\n"
  "file on it and it plays, looping, through PulseAudio or PipeWire. MP3,\n"
  "Ogg Vorbis, FLAC, WAV, tracker modules and whatever else FFmpeg reads\n"
  "play. A tray icon hides and shows the strip, and the desktop's media\n"
  "controls and media keys reach it over MPRIS.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program plays through a sound server; without one it runs silent.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
# The decoder module in lib/ostrel is loaded by its path, never through the
# linker's cache, but CPack gives every package with a shared object under
# lib maintainer scripts that run ldconfig; they are taken out again once
# the package is built.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_without_ldconfig.cmake)
include(CPack)

# What Debian wants beside the program: the copyright, the changelog and the
# manual page, compressed as its policy asks (gzip -9n: no name or time
# stamp, so the package is reproducible).
set(packaging_source ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_binary ${PROJECT_BINARY_DIR}/packaging)
foreach(doc ostrel.1 changelog)
  add_custom_command(
    OUTPUT ${packaging_binary}/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_binary}
    COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" gzip ${packaging_source}/${doc} ${packaging_binary}/${doc}.gz
    DEPENDS ${packaging_source}/${doc}
    VERBATIM)
  list(APPEND packaging_docs ${packaging_binary}/${doc}.gz)
endforeach()
add_custom_target(ostrel_docs ALL DEPENDS ${packaging_docs})
install(FILES ${packaging_binary}/ostrel.1.gz DESTINATION share/man/man1)
install(FILES ${packaging_source}/copyright ${packaging_binary}/changelog.gz DESTINATION share/doc/ostrel)
