# Turns a data file into a C++ source that defines
#   extern const unsigned char SYMBOL[];  (NUL-terminated; any bytes, UTF-8 too)
#   extern const unsigned long SYMBOL_size;
# Usage: cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}"
"// Generated from ${INPUT}; do not edit.\n"
"extern const unsigned char ${SYMBOL}[];\n"
"extern const unsigned long ${SYMBOL}_size;\n"
"const unsigned char ${SYMBOL}[] = {\n${bytes}0x00};\n"
"const unsigned long ${SYMBOL}_size = ${size};\n")
