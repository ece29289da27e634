(Router job in inches: a bracket outline with a row of slots)
(Absolute outline, then relative G91 sections for the repeated slots.)
G20 (inches)
G90 (absolute)
M3 S12000 (spindle on)
G0 Z0.1
G0 X0.25 Y0.25
G1 Z-0.06 F20
G1 X3.75 F40
G1 Y1.0
G3 X3.25 Y1.5 I-0.5 J0 (rounded corner)
G1 X1.25
G1 Y2.75
G3 X0.75 Y3.25 I-0.5 J0
G1 X0.25
G1 Y0.25
G0 Z0.1

(Three slots along the base, each drawn with relative moves)
G0 X1.5 Y0.6
G91 (relative from here)
G1 Z-0.16 F20
G1 X0.5 F40
Y0.15
X-0.5
Y-0.15
G0 Z0.16
X0.75 (next slot)
G91 (relative from here)
G1 Z-0.16 F20
G1 X0.5 F40
Y0.15
X-0.5
Y-0.15
G0 Z0.16
X0.75 (next slot)
G91 (relative from here)
G1 Z-0.16 F20
G1 X0.5 F40
Y0.15
X-0.5
Y-0.15
G0 Z0.16
G90 (back to absolute)

(A diagonal brace cut with relative moves, then home)
G0 X0.55 Y1.1
G91 G1 Z-0.16 F20
G1 X0.5 Y1.5 F40
G0 Z0.16
G90 G0 X0 Y0
M5
M30
