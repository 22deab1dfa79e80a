#!/usr/bin/env python3
# make_sine_table.py -- writes src/gfx3d/sine_table.cpp: sin(2 pi i / 256) rounded to six decimals.
# Run once by hand when the table's layout changes; the output is committed as constant data.
import math, sys

out = sys.stdout
out.write("// sine_table.cpp -- made by tools/sine_table/make_sine_table.py: sin(2 pi i / 256), six decimals\n")
out.write('#include "gfx3d/gfx3d.h"\n\n')
out.write("// ---- state ----\n\n")
out.write("// 256 entries, one full turn; entry i = sin(2 pi i / 256) rounded to six decimal places.\n")
out.write("// table_sin / table_cos interpolate between neighbours and wrap the index.\n")
out.write("const float sine_table[256] = {\n")
for row in range(0, 256, 8):
    vals = []
    for i in range(row, row + 8):
        s = "%.6f" % math.sin(2 * math.pi * i / 256)
        if s == "-0.000000":
            s = "0.000000"
        vals.append(s + "f")
    out.write("    " + ", ".join(vals) + ",\n")
out.write("};\n")
