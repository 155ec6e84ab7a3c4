#include "app/ConvertApp.h"

namespace {
quorbin::ConvertApp theApp;
}

int main(int argc, char** argv)
{
    theApp.Start(argc, argv);
    return 0;
}
