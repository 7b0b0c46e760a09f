// A C# host of the peripheral-binding module, through Zep00001.Module:
// binds the fiscal printer and calls an entry through its slot, builds a
// parameter block and prints it, shows an operator message in its own
// handler, and handles a package that will not load.
//
//   mcs Example.cs <prefix>/share/zep00001/dotnet/Zep00001.cs
//   LD_LIBRARY_PATH=<prefix>/lib/<triplet> ZEP_PACKAGE_PATH=<packages> mono Example.exe
//
// The packages are the module's test packages, whose entries take nothing
// and answer with their own name; this till has no cheque printer.
using System;
using System.Runtime.InteropServices;
using Zep00001;

static class Example
{
    // The test packages' entries, as C functions.
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate IntPtr Answer();

    static void Main()
    {
        // A carriage return separates the lines of an operator message.
        Module.OnMensagem = (text, text2, text3, text4, kind, text5, text6, number, dataSet) =>
            Console.WriteLine("The operator is told (kind {0}):\n{1}", kind, text.Replace('\r', '\n'));

        Module.Bind("ImpFiscal", "21");
        var start = (Answer)Marshal.GetDelegateForFunctionPointer(Module.Slot("StartImpFiscal"), typeof(Answer));
        Console.WriteLine("StartImpFiscal answers " + Marshal.PtrToStringAnsi(start()));
        Module.Unbind("ImpFiscal", "21");

        object[][] block = Module.Params_VendaItem_Zep00000(
            "PADRAO", "12", "N", "7891000100103", "CAFE 500G", "T1", "01", "UN", "F", "18.00", "N",
            7, 2, 9.9, 0, 0, false);
        foreach (object[] pair in block)
            Console.WriteLine("  {0,-14} {1}", pair[0], pair[1]);

        // Without its package the cheque printer tells the operator, and its
        // bind goes on with its slots null.
        Module.Bind("ImpCheque", "1");
        if (Module.Slot("StartImpCheque") == IntPtr.Zero)
            Console.WriteLine("No cheque printer.");

        try
        {
            Module.Bind("Balanca", "1"); // selects "X", which no tree bundles
        }
        catch (BindingFailure failure)
        {
            Console.WriteLine("scale model 1 does not bind: " + failure.Message);
            foreach (string cause in failure.Causes)
                Console.WriteLine(cause);
        }
    }
}
