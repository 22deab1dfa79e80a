# cellgen.cmake -- the table generator gives the same bytes on every run and matches what the build made
add_test(NAME cellgen_deterministic
  COMMAND sh -c "d=$(mktemp -d) && \"$1\" tables \"$d\" && cmp \"$d/charmap.lut\" \"$2/charmap.lut\" && cmp \"$d/colmap.lut\" \"$2/colmap.lut\"; s=$?; rm -rf \"$d\"; exit $s"
          cellgen $<TARGET_FILE:kerv16-cellgen> ${KERV_DATA_ROOT}/data)
set_tests_properties(cellgen_deterministic PROPERTIES LABELS e2e)

# Fonts that are missing, not PSF, or cut short stop the generator with a line naming the file.
add_test(NAME cellgen_bad_fonts
  COMMAND sh -c "d=$(mktemp -d); trap 'rm -rf \"$d\"' EXIT
    if \"$1\" --fonts \"$d\" tables \"$d\" 2>\"$d/err\"; then exit 1; fi
    grep -q \"$d/default8x16.psf.gz cannot be opened\" \"$d/err\" || exit 1
    cp /usr/share/consolefonts/Uni2-VGA8.psf.gz \"$d/\"
    echo garbage | gzip > \"$d/default8x16.psf.gz\"
    if \"$1\" --fonts \"$d\" tables \"$d\" 2>\"$d/err\"; then exit 1; fi
    grep -q 'default8x16.psf.gz is not a PSF font' \"$d/err\" || exit 1
    zcat /usr/share/consolefonts/default8x16.psf.gz | head -c 3000 | gzip > \"$d/default8x16.psf.gz\"
    if \"$1\" --fonts \"$d\" tables \"$d\" 2>\"$d/err\"; then exit 1; fi
    grep -q 'default8x16.psf.gz is truncated' \"$d/err\" && test ! -e \"$d/charmap.lut\""
    cellgen $<TARGET_FILE:kerv16-cellgen>)
set_tests_properties(cellgen_bad_fonts PROPERTIES LABELS e2e)
