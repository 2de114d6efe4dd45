// Entry point of the kestrin executable: kestrin [GAME] [switches...]
int KestrinMain(int argc, char** argv);

int main(int argc, char** argv) { return KestrinMain(argc, argv); }
