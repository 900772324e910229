// A library of the right name that lacks the interaction function.
extern "C" __attribute__((visibility("default"))) int SV_SomethingElse()
{
    return 0;
}
