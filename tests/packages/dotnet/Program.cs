// A fresh console project's program: the package Zep00001 added to it, and
// nothing else set but where the driver packages are.
using System;
using System.Linq;
using System.Runtime.InteropServices;
using Zep00001;

// UTF-8, so that a failure naming a Windows-1252 path holds a byte it cannot read.
Module.CodePage = 65001;
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
// A failure's text decodes whatever its bytes: the directory "pre\xe7o",
// named in Windows-1252, shows its byte escaped.
byte[] directory = System.Text.Encoding.ASCII.GetBytes(System.IO.Path.Combine(
    System.IO.Path.GetTempPath(), "zep-" + Guid.NewGuid().ToString("N") + "-pre"))
    .Concat(new byte[] { 0xE7, (byte)'o', 0 }).ToArray();
Native.mkdir(directory, Convert.ToUInt32("700", 8));
Native.setenv(System.Text.Encoding.ASCII.GetBytes("ZEP_PACKAGE_PATH\0"), directory, 1);
try
{
    Module.Bind("Balanca", "4");
}
catch (BindingFailure failure)
{
    Console.WriteLine($"escaped: {string.Join("\n", failure.Causes).Contains("-pre\\xe7o/libZEP01200.so")}");
}
Native.rmdir(directory);

static class Native
{
    [DllImport("libc")]
    public static extern int mkdir(byte[] path, uint mode);
    [DllImport("libc")]
    public static extern int setenv(byte[] name, byte[] value, int overwrite);
    [DllImport("libc")]
    public static extern int rmdir(byte[] path);
}
