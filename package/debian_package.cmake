# The Debian package of the installed tree (cpack -G DEB): tarnix_VERSION_ARCH.deb with the
# programs, the manual pages, the desktop entry and icons, the copyright file and the
# changelog. Depends comes from the libraries the programs link (dpkg-shlibdeps), plus the
# Vulkan loader, which they open at run time (so no link shows it), and a Vulkan driver.
set(TARNIX_PACKAGE_MAINTAINER "tarnix developers <maintainers@tarnix.invalid>" CACHE STRING
  "The Maintainer field of the Debian package: Name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the tarnix developers")
set(CPACK_PACKAGE_CONTACT ${TARNIX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual presentation computed on the GPU")
set(CPACK_PACKAGE_DESCRIPTION
  "tarnix synthesises its whole music track on the GPU at start-up, then plays
it while a particle simulation, a path tracer, temporal accumulation, a
denoiser, depth of field and tone mapping render its scenes in step with the
music, over the whole screen.
.
The package holds tarnix (rendering at 960 x 540) and tarnix1080 (at
1920 x 1080), tarnix-capture, which renders the presentation to PNG images or
an MP4 video, and tarnix-music, which writes its music as a WAV file. They
need a Vulkan 1.3 driver: a GPU's, or Mesa's lavapipe on the CPU, where small
render sizes play fluently.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libvulkan1 (>= 1.3), mesa-vulkan-drivers | vulkan-icd")
# The title's face (another sans face stands in without it); ffmpeg for tarnix-capture's MP4s
# and xdg-open for tarnix --edit --open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-open-sans")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg, xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
