// WinMain.cpp: the program's entry, called by the platform's main. For now it brings
// up only what the library has.
extern "C" int WinMain(void* instance, void* prevInstance, char* cmdLine, int showCmd) {
    (void)instance;
    (void)prevInstance;
    (void)cmdLine;
    (void)showCmd;
    return 0;
}
