// A fresh console project's program: the package Zep00001 added to it, and
// nothing else set but where the driver packages are.
using System;
using Zep00001;

Module.Bind("Sat");
Console.WriteLine($"EmitirVenda bound: {Module.Slot("EmitirVenda") != IntPtr.Zero}");
Module.Unbind("Sat");
try
{
    Module.Bind("Balanca", "1");
}
catch (BindingFailure failure)
{
    Console.WriteLine(failure.Message);
}
Console.WriteLine($"assembly version: {typeof(Module).Assembly.GetName().Version}");
// The runtime package alone holds no simulated device to fall back on.
string native = System.IO.Path.Combine(AppContext.BaseDirectory, "runtimes", "linux-x64", "native", "zep00001");
Console.WriteLine($"simulated devices: {System.IO.Directory.GetFiles(native, "libzep03000.so").Length}");
