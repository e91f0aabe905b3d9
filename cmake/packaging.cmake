# The Debian package, built from a configured tree with `cpack -G DEB`
# (scripts/package.sh). The runtime dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_CONTACT "Ostrel developers <ostrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small glassy always-on-top audio player")
set(CPACK_PACKAGE_DESCRIPTION
    "A 500 by 30 glass strip that stays on top of the desktop: drop an audio file on it and it plays, looping, through PulseAudio or PipeWire. Desktop media controls reach it over MPRIS.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program plays through a sound server; without one it runs silent.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
include(CPack)
