// FIXME: start-up and the main window arrive with the foundation work.
int main() { return 0; }
