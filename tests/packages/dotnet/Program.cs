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
