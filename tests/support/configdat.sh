# Sourced by the shell tests: settings() writes its text as config.dat holds it, a 4-byte
# big-endian byte count and then UTF-16BE (the text starts with a line break).
settings() {
    local text=$1 length
    length=$((${#text} * 2))
    printf "$(printf '\\x%02x' $((length >> 24 & 255)) $((length >> 16 & 255)) $((length >> 8 & 255)) $((length & 255)))"
    printf '%s' "$text" | iconv -f UTF-8 -t UTF-16BE
}
