// The README's sale from C#: binds every slot set to the simulated devices,
// opens the coupon, sells two items (the second weighed on the scale),
// prints the sale, closes the coupon and unbinds every set; then shows the
// receipt as zep-host demo does. The fiscal printer takes the blocks the C
// interface builds (Module.Blocks), disposed of once the entry has returned.
//
//   mcs Sale.cs <prefix>/share/zep00001/dotnet/Zep00001.cs
//   LD_LIBRARY_PATH=<prefix>/lib/<triplet> ZEP_PACKAGE_PATH=<prefix>/lib/<triplet>/zep00001/simulated mono Sale.exe
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using Zep00001;

static class Sale
{
    // The simulated devices' entries, as their headers in drivers/simulated/ give them.
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate void Paper(IntPtr context, IntPtr line);
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int StartImpFiscal(Paper paper, IntPtr context);
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int BlockEntry(IntPtr block);
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int ImpressaoVenda(IntPtr block, out double total);
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int FechaCupom(string method, double paid);
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int Command();
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate IntPtr Reason();
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int StartBalanca(string port);
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int BuscaPeso(out double kilograms);

    const int Ok = 0, Unstable = 2;

    // Every set, with the first model code whose simulated package is bundled.
    static readonly string[][] Sets = {
        new[] { "ImpFiscal", "1" }, new[] { "ImpCheque", "1" }, new[] { "Display", "1" },
        new[] { "Balanca", "4" }, new[] { "Leitor", "1" }, new[] { "Zep00000", null },
        new[] { "Zep00400", null }, new[] { "Zep00500", null }, new[] { "Tef00000", null },
        new[] { "Sat", null } };

    static T Entry<T>(string slot) where T : class
    {
        return (T)(object)Marshal.GetDelegateForFunctionPointer(Module.Slot(slot), typeof(T));
    }

    static void Check(int status, string command)
    {
        if (status != Ok)
            throw new InvalidOperationException("the fiscal printer refused " + command + ": "
                                                + Marshal.PtrToStringAnsi(Entry<Reason>("RetornoImpFiscal")()));
    }

    static void Sell(string code, string name, string unit, double quantity, double price)
    {
        using (Block block = Module.Blocks.Params_VendaItem_Zep00000(
                   "", "", "", code, name, "T18", "01", unit, "", "18,00", "", 0, quantity, price, 0, 0, false))
            Check(Entry<BlockEntry>("VendaItem")(block.Handle), "VendaItem");
    }

    static void Main()
    {
        foreach (string[] set in Sets) Module.BindPackage(set[0], set[1]);

        var printed = new List<string>();
        Paper paper = (context, line) => printed.Add(Marshal.PtrToStringAnsi(line));
        Check(Entry<StartImpFiscal>("StartImpFiscal")(paper, IntPtr.Zero), "StartImpFiscal");
        using (Block block = Module.Blocks.Params_AbreCupom_Zep00000(
                   "", 0, "S", "N", "N", "", "", "", "", "", "CPF", "529.982.247-25", "", "", false))
            Check(Entry<BlockEntry>("AbreCupom")(block.Handle), "AbreCupom");
        Sell("7891234567895", "ARROZ TIPO 1 5KG", "UN", 1.0, 24.90);

        // The scale settles over a few readings; a host asks until it is stable.
        if (Entry<StartBalanca>("StartBalanca")("0.398;0.411;0.412") != Ok)
            throw new InvalidOperationException("the scale refused StartBalanca");
        var weigh = Entry<BuscaPeso>("BuscaPeso");
        double kilograms = 0;
        int weighed = Unstable;
        for (int reading = 0; reading < 10 && weighed == Unstable; reading++) weighed = weigh(out kilograms);
        if (weighed != Ok) throw new InvalidOperationException("the scale refused BuscaPeso (status " + weighed + ")");
        Sell("2000012", "QUEIJO MINAS", "KG", kilograms, 49.90);

        double total;
        using (Block block = Module.Blocks.Params_ImpressaoVenda_Zep00000(
                   "", "0001", "003", "", "", "42", "", "MARIA DA SILVA", "Volte sempre", "COM1", 1, 0, 0))
            Check(Entry<ImpressaoVenda>("ImpressaoVenda")(block.Handle, out total), "ImpressaoVenda");
        Check(Entry<FechaCupom>("FechaCupom")("DINHEIRO", 50.0), "FechaCupom");
        Check(Entry<Command>("StopImpFiscal")(), "StopImpFiscal");
        GC.KeepAlive(paper);
        Entry<Command>("StopBalanca")();
        int coupon = Entry<Command>("Nr_Cupom")();

        foreach (string[] set in Sets) Module.Unbind(set[0], set[0] == "ImpCheque" ? null : set[1]);

        Console.WriteLine("  receipt, coupon {0}:", coupon);
        string rule = "    +" + new string('-', 40) + "+";
        Console.WriteLine(rule);
        foreach (string line in printed) Console.WriteLine("    |{0,-40}|", line);
        Console.WriteLine(rule);
    }
}
