#include "app/ConvertApp.h"

namespace {
quorbin::ConvertApp theApp;
}

int main(int argc, char** argv)
{
    return theApp.Start(argc, argv);
}
