// A shared library without the plugin entry points.
extern "C" __attribute__((visibility("default"))) int notAPlugin() { return 1; }
