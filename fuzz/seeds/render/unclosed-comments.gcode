G1 X5 (no end
G1 X6 (a) (b
G1 (X9) Y2 ;Y7
(((
)))
;
