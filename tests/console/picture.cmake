# picture.cmake -- kerv16-render --picture: a converted picture gives 4000 cells and a 640 x 400 drawing,
# the TGA and PNG forms of one picture give the same cells, and a picture of the wrong size is refused
add_test(NAME render_picture
  COMMAND sh -c "set -e; d=$(mktemp -d); trap 'rm -rf \"$d\"' EXIT
    convert -size 240x150 gradient:navy-orange -fill white -draw 'rectangle 30,30 90,60' -depth 8 \"$d/p.png\"
    convert \"$d/p.png\" -orient TopLeft \"$d/p.tga\"
    \"$1\" --picture \"$d/p.png\" --cells \"$d/p.bin\" --png \"$d/p.cells.png\"
    \"$1\" --picture \"$d/p.tga\" --cells \"$d/t.bin\"
    test $(stat -c %s \"$d/p.bin\") -eq 8000
    cmp \"$d/p.bin\" \"$d/t.bin\"
    test \"$(identify -format %wx%h \"$d/p.cells.png\")\" = 640x400
    convert -size 100x50 xc:red \"$d/small.png\"
    if \"$1\" --picture \"$d/small.png\" --cells \"$d/s.bin\" 2>\"$d/err\"; then exit 1; fi
    grep -q '100 x 50 pixels, expected 240 x 150' \"$d/err\"
    test ! -e \"$d/s.bin\""
    picture $<TARGET_FILE:kerv16-render>)
set_tests_properties(render_picture PROPERTIES LABELS e2e WORKING_DIRECTORY ${KERV_DATA_ROOT})
