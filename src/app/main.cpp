#include "app/ZorvikApp.h"

int main(int argc, char **argv)
{
    ZorvikApp app(argc, argv);
    return app.run();
}
