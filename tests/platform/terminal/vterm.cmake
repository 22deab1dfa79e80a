# vterm.cmake -- the terminal encoder's tests read frames back through Debian's libvterm
pkg_check_modules(VTERM REQUIRED IMPORTED_TARGET vterm)
target_link_libraries(kerv16_tests PRIVATE PkgConfig::VTERM)
