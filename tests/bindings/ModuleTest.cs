// Zep00001.Module as a .NET host sees it, against the tree's answering
// packages (each entry takes nothing and answers with its own name), with no
// cheque printer installed. The first argument is the version the C
// interface must report, the second the table of texts. Exits with 1 after
// any failure.
using System;
using System.Runtime.InteropServices;
using Zep00001;

static class ModuleTest
{
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate IntPtr Answer();

    static int failures;

    static void Expect(bool condition, string what)
    {
        if (condition) return;
        Console.WriteLine("FAILED: " + what);
        failures++;
    }

    static void Throws<T>(Action action, string what) where T : Exception
    {
        try
        {
            action();
            Expect(false, what + " throws " + typeof(T).Name);
        }
        catch (T)
        {
        }
    }

    static string Call(string slot)
    {
        IntPtr entry = Module.Slot(slot);
        if (entry == IntPtr.Zero) return "(null)";
        var answer = (Answer)Marshal.GetDelegateForFunctionPointer(entry, typeof(Answer));
        return Marshal.PtrToStringAnsi(answer());
    }

    static void SlotsFollowBindAndUnbind()
    {
        Module.Bind("ImpFiscal", "21");
        Expect(Call("StartImpFiscal") == "answering/ZEP00102:StartImpFiscal", "StartImpFiscal reaches " + Call("StartImpFiscal"));
        Module.Unbind("impfiscal", "21");
        Expect(Module.Slot("StartImpFiscal") == IntPtr.Zero, "an unbind clears the slots");
    }

    static void FailuresThrowWhatTheyAre()
    {
        try
        {
            Module.Bind("Balanca", "1");
            Expect(false, "a missing package throws");
        }
        catch (BindingFailure failure)
        {
            Expect(failure.Message == "Erro na carga do pacote: X", "the message is " + failure.Message);
            Expect(failure.Causes.Length == 1 && failure.Causes[0].StartsWith("cannot load package \"X\"")
                   && failure.Causes[0].Contains("\n  /"), "the causes are " + string.Join("|", failure.Causes));
            Expect(failure.ToString().Contains(failure.Message + Environment.NewLine + failure.Causes[0]),
                   "ToString() shows the causes: " + failure);
        }
        Throws<ArgumentException>(() => Module.Bind("NoSuchSet"), "an unknown set");
        Throws<ArgumentException>(() => Module.Bind("ImpFiscal", "21a"), "a malformed model code");
        Throws<ArgumentException>(() => Module.Slot("StartImpfiscal"), "an unknown slot");
    }

    static void SelectionsNameThePackage()
    {
        Expect(Module.Select("ImpFiscal", "21") == "ZEP00102", "fiscal code 21 selects ZEP00102");
        Expect(Module.Select("Display", "9") == "", "display code 9 selects none");
    }

    static void BlocksArePairsOfTaggedValues()
    {
        object[][] block = Module.Params_VendaItem_Zep00000(
            "PADRAO", "12", "N", "789", "CAFE", "T1", "01", "UN", "F", "18.00", "N", 7, 2.5, 9.9, 0, 0, true);
        Expect(block.Length == 17 && block[1].Length == 2, "17 pairs of two");
        Expect((string)block[1][0] == "INTEFERRO" && block[1][1] is int && (int)block[1][1] == 7, "INTEFERRO is the int 7");
        Expect(block[8][1] is double && (double)block[8][1] == 2.5, "QTDE is the double 2.5");
        Expect(block[15][1] is bool && (bool)block[15][1], "UTILTEF is the bool true");
    }

    [DllImport("libzep00001_c.so.1")]
    static extern IntPtr zep_block_string(IntPtr block, UIntPtr pair, out UIntPtr length);

    // The shared table of texts: each arrives as its Windows-1252 bytes and comes
    // back unchanged, or is refused naming the parameter and the character.
    static void TextsCrossAsWindows1252(string table)
    {
        foreach (string line in System.IO.File.ReadAllLines(table, System.Text.Encoding.UTF8))
        {
            if (line.Length == 0 || line[0] == '#') continue;
            string[] columns = line.Split('\t');
            string text = System.Text.RegularExpressions.Regex.Replace(
                columns[1].Replace("\\0", "\0"), @"\\u([0-9A-Fa-f]{4})",
                code => ((char)Convert.ToInt32(code.Groups[1].Value, 16)).ToString());
            string expected = columns[2];
            if (expected.StartsWith("refused "))
            {
                try
                {
                    Module.Params_VerificaSerialImp_Zep00000(true, text, "", "");
                    Expect(false, columns[0] + " is refused");
                }
                catch (ArgumentException e)
                {
                    Expect(e.ParamName == "DSDIRCAD" && e.Message.Contains(expected.Substring(8)),
                           columns[0] + " is refused naming DSDIRCAD and the character: " + e.Message);
                }
                continue;
            }
            using (Block block = Module.Blocks.Params_VerificaSerialImp_Zep00000(true, text, "", ""))
            {
                UIntPtr length;
                IntPtr address = zep_block_string(block.Handle, new UIntPtr(1), out length);
                byte[] bytes = new byte[(int)length.ToUInt32()];
                Marshal.Copy(address, bytes, 0, bytes.Length);
                string hex = BitConverter.ToString(bytes).Replace('-', ' ').ToLowerInvariant();
                Expect(hex == expected, columns[0] + " arrives as " + hex);
                Expect((string)block.Pairs()[1][1] == text, columns[0] + " comes back unchanged");
            }
        }
        Throws<InvalidOperationException>(() => Module.CodePage = 65001, "a second code page");
    }

    static void AnEmptyBindIsVisible()
    {
        Module.Bind("ImpFiscal", "35");
        Expect(Module.Bound("ImpFiscal") == "", "code 35 binds nothing");
        try
        {
            Module.BindPackage("ImpFiscal", "35");
            Expect(false, "BindPackage refuses code 35");
        }
        catch (ArgumentException e)
        {
            Expect(e.ParamName == "model", "the parameter is " + e.ParamName);
        }
        Expect(Module.BindPackage("ImpFiscal", "21") == "ZEP00102", "code 21 binds ZEP00102");
        Expect(Module.Bound("impfiscal") == "ZEP00102", "the set is bound to ZEP00102");
        Module.Unbind("ImpFiscal", "21");
    }

    static void OperatorMessagesReachTheHandler(string version)
    {
        Expect(Module.Version == version, "the version is " + Module.Version);
        string seen = null;
        Module.OnMensagem = (text, text2, text3, text4, kind, text5, text6, number, dataSet) =>
            seen = string.Join("|", text, text2, text3, text4, kind, text5, text6, number, dataSet);
        GC.Collect();
        Module.Bind("ImpCheque", "1");
        Expect(seen != null && seen.EndsWith("\rErro na carga do pacote: ZEP00700||N|N|3||001|0|0"),
               "the message is " + seen);
        Module.OnMensagem = delegate { throw new TimeoutException("refused by the host"); };
        Throws<TimeoutException>(() => Module.Bind("ImpCheque", "1"), "the handler's exception reaches the host");
        Module.OnMensagem = null;
    }

    [DllImport("libc", SetLastError = true)]
    static extern int mkdir(string path, uint mode);

    static void ATraceWritesDownTheCallsThroughTheSlots()
    {
        // Mode 0700: the tracer refuses a directory others may write.
        string directory = System.IO.Path.Combine(System.IO.Path.GetTempPath(), "zep-trace-" + Guid.NewGuid().ToString("N"));
        Expect(mkdir(directory, Convert.ToUInt32("700", 8)) == 0, "a private directory " + directory);
        string trace = System.IO.Path.Combine(directory, "calls.json");
        Module.StartTrace(trace);
        Module.Bind("Sat");
        Expect(Call("EmitirVenda") == "answering/zep03000:EmitirVenda", "a traced call answers " + Call("EmitirVenda"));
        Module.Unbind("Sat");
        Module.StopTrace();
        // The module's binary trace, which zep-host trace reads: its mark, and
        // the traced entry's name.
        string events = System.Text.Encoding.ASCII.GetString(System.IO.File.ReadAllBytes(trace));
        Expect(events.StartsWith("ZEPTRACE") && events.Contains("EmitirVenda"), "the trace holds the traced entry");
        System.IO.Directory.Delete(directory, true);
        try
        {
            Module.StartTrace(trace);
            Expect(false, "a trace into a missing directory throws");
        }
        catch (ArgumentException e)
        {
            Expect(e.ParamName == "file", "the refusal names file: " + e.Message);
        }
        Throws<ArgumentException>(() => Module.StartTrace(directory + "/\u0100.json"), "a file name Windows-1252 lacks");
    }

    static int Main(string[] arguments)
    {
        // A slot read first: the program has only ZEP_C_LIBRARY to find the C
        // interface by, which Mono must take before it compiles any import.
        Expect(Module.Slot("StartImpFiscal") == IntPtr.Zero, "a slot is null before its bind");
        SlotsFollowBindAndUnbind();
        FailuresThrowWhatTheyAre();
        SelectionsNameThePackage();
        BlocksArePairsOfTaggedValues();
        TextsCrossAsWindows1252(arguments[1]);
        AnEmptyBindIsVisible();
        OperatorMessagesReachTheHandler(arguments[0]);
        ATraceWritesDownTheCallsThroughTheSlots();
        if (failures > 0) return 1;
        Console.WriteLine("all passed");
        return 0;
    }
}
