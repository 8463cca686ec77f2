/* A loadable module that lacks the plugin's exports. */
__attribute__((visibility("default"))) int NotAPluginFunction(void) { return 0; }
