// The shipped module: every object of plugin_core is linked in whole (see CMakeLists.txt).
