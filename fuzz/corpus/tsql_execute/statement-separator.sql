SELECT 1; SELECT 'a;b' -- c
; SELECT 2 /* d */