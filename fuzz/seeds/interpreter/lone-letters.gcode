G
X
Y
S
F
M
G1 X
x y g m s f
-
+
.
