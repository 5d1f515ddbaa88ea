/* A library that holds nothing but its version resource: the version
   reader's tests read it as a file. */
int version_probe_marker(void) { return 0; }
