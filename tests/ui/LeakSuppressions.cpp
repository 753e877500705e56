// Fontconfig, Pango's font map and the display libraries keep process-wide caches that live until the
// process ends; the leak checker is told they are not this program's leaks.

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libpango\n"
           "leak:libharfbuzz\n"
           "leak:libdbus-1.so\n"
           "leak:libX11.so\n"
           "leak:libxcb\n"
           "leak:libSDL2\n";
}
