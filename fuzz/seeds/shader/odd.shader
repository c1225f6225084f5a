"quoted/name" {{ map "x.jpg" /* c { */ blendfunc gl_one gl_one }}
} t { { { { } } } }