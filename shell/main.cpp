// The game's entry: start-up, the loop of one pass per displayed frame, shutdown.
int main() { return 0; }
