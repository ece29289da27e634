G1 X 7 Y- 7 S +5
G1 X	-3 Y+-2
G1 X--1 Y..5
G1 X1.2.3 Y.5 S5.
