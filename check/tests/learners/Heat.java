// A learner's heatprompt in Java, reading on the main thread of a JVM
// that runs many.
import java.io.*;
import java.util.regex.*;

public class Heat {
    static float readFloat(BufferedReader in) throws IOException {
        String line = in.readLine();
        if (line == null || line.trim().isEmpty())
            return 100f;
        Matcher m =
            Pattern.compile("\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?").matcher(line);
        if (!m.lookingAt())
            return 0f;
        double v = Double.parseDouble(m.group().trim());
        if (Math.abs(v) > Float.MAX_VALUE)
            return v > 0 ? Float.MAX_VALUE : -Float.MAX_VALUE;
        return (float) v;
    }
    public static void main(String[] args) throws IOException {
        System.out.print("Enter Machine Temperature: ");
        System.out.flush();
        float t = readFloat(new BufferedReader(new InputStreamReader(System.in)));
        if (t <= 0)
            System.out.println("Machine State: Powered off?");
        else if (t >= 212)
            System.out.println("Machine State: Overheating");
        else
            System.out.println("Machine State: Operating Normally");
    }
}
