// An empty program that a layer's whole library is linked into, so that the
// link fails when the layer uses a symbol that only a layer above defines.
int main() { return 0; }
